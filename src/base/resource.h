// Resource identifiers shared by the resource script and the code.
#pragma once

#define IDD_CONFIGURE 2003
#define IDC_PRODUCT_LINE 1001
#define IDC_LIBRARY_VERSIONS 1002

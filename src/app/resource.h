// Resource identifiers shared by the resource script and the code.
#pragma once

#include "../ui/dialog_ids.h"

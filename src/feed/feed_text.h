// The bytes of a fetched feed turned into the 8-bit ANSI text the scan reads. Feeds are
// almost always UTF-8 (XML's default); the byte-order mark or the XML declaration says
// otherwise. Characters the code page lacks become its default character.
#pragma once
#include <string>
#include <string_view>

#include "document/ansi_text.h"

namespace qv {

enum class FeedEncoding { Utf8, Utf16LE, Utf16BE, SingleByte, Unknown };

// What the bytes declare: a byte-order mark first, then the XML declaration's encoding
// ("utf-8"; "windows-1252", "iso-8859-1" and their aliases as SingleByte; any other
// name as Unknown). Without either: Utf8.
FeedEncoding DetectFeedEncoding(std::string_view bytes);

// Decodes bytes into the ANSI code page (the converter of document/ansi_text.h: the
// system's code page on Windows, Windows-1252 elsewhere). Undeclared text that is not
// valid UTF-8 is read as Windows-1252; an Unknown encoding keeps its bytes. Zero
// characters are dropped: every reader downstream takes the text as a C string.
std::string DecodeFeedBytes(std::string_view bytes);
// The same into the code page of toAnsi (the feed thread's, given it by its session).
std::string DecodeFeedBytes(std::string_view bytes, Utf16ToAnsiFn toAnsi);

}  // namespace qv

// The text SignMessage signs: the header of the signer's mode, the message,
// a line break unless the text already ends with a line feed, and the AUTH
// line, all in the bytes that reach the core (UTF-8 or the ANSI code page).
#pragma once

#include <string>
#include <string_view>

class CSigner;

// The session block (Operator set; it takes the next packet number) or the
// customer line (Customer set), in the ANSI code page; empty otherwise.
std::string MessageHeader(CSigner& signer);

// The whole signed text for the open key. Throws std::bad_alloc when memory
// runs out.
std::string SignedMessageText(CSigner& signer, std::u16string_view message);

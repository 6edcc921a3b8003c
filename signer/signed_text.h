// The text SignMessage signs: the header of the signer's mode, the message,
// a line break unless the text already ends with a line feed, and the AUTH
// line, all in the bytes that reach the core (UTF-8 or the ANSI code page).
#pragma once

#include <optional>
#include <string>
#include <string_view>

class CSigner;

// The code page texts are signed in: UTF-8 when useUtf8 is on, else the ANSI page.
unsigned SigningCodePage();

// The message (up to its first NUL) in `code_page`; nullopt when that page
// cannot hold one of its characters. Throws std::bad_alloc when memory runs out.
std::optional<std::string> SignableMessage(std::u16string_view message, unsigned code_page);

// The session block (Operator set; it takes the next packet number) or the
// customer line (Customer set) in `code_page`; empty otherwise. nullopt when
// the page cannot hold one of its characters (no packet number is taken).
std::optional<std::string> MessageHeader(CSigner& signer, unsigned code_page);

// Makes the converted message in `text` the whole signed text for the open
// key: the header before it, the line break and the AUTH line after it. False
// (text unchanged) when `code_page` cannot hold a character of the header.
// Throws std::bad_alloc when memory runs out.
bool CompleteSignedText(CSigner& signer, unsigned code_page, std::string* text);

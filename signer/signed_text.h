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

// The message in the signing code page; nullopt when that page cannot hold
// one of its characters.
std::optional<std::string> SignableMessage(std::u16string_view message);

// The session block (Operator set; it takes the next packet number) or the
// customer line (Customer set) in `code_page`; empty otherwise. nullopt when
// the page cannot hold one of its characters (no packet number is taken).
std::optional<std::string> MessageHeader(CSigner& signer, unsigned code_page);

// The whole signed text for the open key; nullopt when the signing code page
// cannot hold a character of the header or the message. Throws std::bad_alloc
// when memory runs out.
std::optional<std::string> SignedMessageText(CSigner& signer, std::u16string_view message);

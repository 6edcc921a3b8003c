// A long text (a signed document) written into a JSON answer straight from its
// UTF-8 bytes, without a QString and QJsonValue copy of it: byte for byte what
// QJsonDocument's compact writer makes of the same text.
#pragma once

#include <QByteArray>

#include <string_view>

// The bytes `utf8` takes as a JSON string, quotes included, or -1 when it is
// not valid UTF-8 (Qt would not write it back unchanged).
qint64 json_string_size(std::string_view utf8);

// Appends valid UTF-8 as a JSON string, escaped as Qt escapes it: the quote,
// the backslash and the control characters; every other character as it is.
void append_json_string(std::string_view utf8, QByteArray* out);

// Process-wide state shared by every signer object of the process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

constexpr size_t kSignerTextSize = 256;  // Session and CurrentUserName fields, NUL included

// When the open key must be authorised again, in seconds since 1970-01-01 UTC:
// negative means never, positive is a time.
inline int64_t ReaskDeadline = 0;
// The user ID of the open key (ANSI), printed in message headers.
inline char CurrentUserName[kSignerTextSize] = {};
// Messages signed in session mode so far.
inline int32_t PacketCounter = 0;
// Printed as the command number of the session header; nothing changes it.
inline int32_t CommandNumber = 0;
// velixcom keeps one Session for the whole process instead of one per object:
// the ANSI field and the text exactly as it was given.
inline char ProcessSession[kSignerTextSize] = {};
inline std::u16string ProcessSessionText;

// Message boxes the signer's operations show: no owner window, error icon,
// texts from the string table in the thread's UI language.
#pragma once

// A message box with string text_id and caption string caption_id.
void ShowOperationError(int text_id, int caption_id);

// The message of core code `code` (empty for 0) under caption string caption_id.
void ShowCoreError(int code, int caption_id);

// String ids the operations use.
constexpr int kStringError = 101;              // "Error"
constexpr int kStringBadInput = 111;           // "Incorrect input data"
constexpr int kStringKeyLoadError = 112;       // "Key loading error"
constexpr int kStringInsufficientMemory = 113;  // "Insufficient memory"
constexpr int kStringSigningError = 116;       // "Signing error"
constexpr int kStringLibraryInUse = 117;       // "Library already in use"
constexpr int kStringStatementError = 119;     // "Signing error" (statements)
constexpr int kStringErrorReadingFile = 126;   // "Error reading file"
constexpr int kStringUnrepresentableText = 168;  // "The text holds a character that the ANSI code page ..."
constexpr int kStringHeaderText = 176;  // "A header text (the session) holds a line break ..."

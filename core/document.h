// The text document that carries signed texts ("SM"), public key cards ("NS")
// and secret keys ("NM"): a fixed-width header, two name lines, and a data and
// a signature block, each framed by keyword lines, all lines ending in CR LF.
#pragma once

#include <cstdint>

// The largest number the 8-digit fields of a document hold (serials, lengths).
constexpr uint32_t kDocumentFieldMax = 99999999;

struct DocumentRecord {
  int version;             // 2 digits; 1 for every document we write
  char type[3];            // two letters and a NUL: "SM", "NS", "NM"
  char name1[24];          // key owner's user ID; only 20 characters fit the name line
  uint32_t serial1;
  char name2[24];          // certifying key's user ID, or empty
  uint32_t serial2;
  const char* data;        // data block (reader: points into the input)
  int data_length;
  int plain_length;        // "SM": the text length; key documents: binary length before armor
  const char* signature;   // signature block (reader: points into the input)
  int signature_length;    // 0 = empty
};

// Writes the document into out (capacity bytes, NUL-terminated). Returns its
// length, CORE_E_ARGS for an absent buffer or record or a field that the fixed
// widths cannot hold, CORE_E_NOMEM when it does not fit.
int write_document(char* out, int capacity, const DocumentRecord* doc);

// Reads a document (length < 0: NUL-terminated; 0: nothing to read) into doc;
// the blocks are not copied. Returns the number of input bytes consumed
// (leading blanks included), 0, CORE_E_ARGS, or CORE_E_FORMAT for anything
// malformed.
int read_document(const char* text, int length, DocumentRecord* doc);

#pragma once
// CSV as RFC 4180 writes it, for batches that read records and answer records: fields split at
// commas, a field in double quotes may hold commas, line ends and doubled quotes.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/secret.hpp"

namespace tolvane {

struct CsvField {
  std::size_t offset; // in the storage the record was split into
  std::size_t size;
};

// Splits record into its fields, unquoted, appended to storage (whose capacity takes the whole
// record) and listed in fields. False when a quoted field is still open at the end: the record
// goes on in the next line.
bool splitCsvRecord(std::string_view record, SecretString<char> &storage,
                    std::vector<CsvField> &fields);

// Whether a field must go in quotes: it holds a comma, a quote, CR or LF.
template <typename Units> bool csvNeedsQuotes(const Units &field) {
  for (const auto unit : field) {
    const auto c = static_cast<char>(unit);
    if (c == ',' || c == '"' || c == '\r' || c == '\n') {
      return true;
    }
  }
  return false;
}

// Writes field from out on with its quotes doubled, as it stands inside quotes; returns where it
// ended. out has room for 2 * size bytes.
template <typename Units> char *writeCsvQuotesDoubled(char *out, const Units &field) {
  for (const auto unit : field) {
    const auto c = static_cast<char>(unit);
    if (c == '"') {
      *out++ = '"';
    }
    *out++ = c;
  }
  return out;
}

// Writes field as a CSV field from out on, in quotes when csvNeedsQuotes says so; returns where
// it ended. out has room for 2 * size + 2 bytes.
template <typename Units> char *writeCsvField(char *out, const Units &field) {
  const bool quoted = csvNeedsQuotes(field);
  if (quoted) {
    *out++ = '"';
  }
  out = writeCsvQuotesDoubled(out, field);
  if (quoted) {
    *out++ = '"';
  }
  return out;
}

} // namespace tolvane

#include "cli/csv.hpp"

namespace tolvane {

bool splitCsvRecord(std::string_view record, SecretString<char> &storage,
                    std::vector<CsvField> &fields) {
  fields.clear();
  storage.clear();
  std::size_t start = 0;
  bool quoted = false;
  for (std::size_t i = 0; i <= record.size(); ++i) {
    const char c = i < record.size() ? record[i] : ',';
    if (quoted) {
      if (c == '"' && i + 1 < record.size() && record[i + 1] == '"') {
        storage->push_back('"'); // a doubled quote stands for one
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else if (i < record.size()) {
        storage->push_back(c);
      } else {
        return false;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      fields.push_back({start, storage->size() - start});
      start = storage->size();
    } else {
      storage->push_back(c);
    }
  }
  return true;
}

} // namespace tolvane

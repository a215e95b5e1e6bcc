#include "records/data_record.h"

#include "records/field_edit.h"

namespace kw {

bool is_blank_record(std::string_view columns) {
  return columns.find_first_not_of(" \t") == std::string_view::npos;
}

ReadStatus parse_data_record(std::string_view columns, DataRecord& record) {
  ListReader reader(columns);
  for (std::int32_t& item : record.idate) {
    if (const ReadStatus status = reader.next_integer(item); status != ReadStatus::ok) {
      return status;
    }
  }
  for (double& item : record.xval) {
    if (const ReadStatus status = reader.next_real(item); status != ReadStatus::ok) return status;
  }
  return ReadStatus::ok;
}

bool edit_output_record(const DataRecord& record, char* out) {
  // Every field is edited, even after one overflows.
  bool fits = edit_integer(record.idate[0], 2, 2, out);
  fits = edit_integer(record.idate[1], 3, 2, out + 2) && fits;
  fits = edit_integer(record.idate[2], 3, 2, out + 5) && fits;
  fits = edit_field<9, 5>(record.xval[0], out + 8) && fits;
  fits = edit_field<9, 5>(record.xval[1], out + 17) && fits;
  fits = edit_field<10, 6>(record.xval[2], out + 26) && fits;
  return fits;
}

}  // namespace kw

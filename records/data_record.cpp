#include "records/data_record.h"

#include "records/field_edit.h"
#include "records/separators.h"

namespace kw {

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

bool edit_output_record(const DataRecord& record, char* out, int z_shift) {
  // Every field is edited, even after one overflows.
  bool fits = edit_integer(record.idate[0], kYearField.width, 2, out + kYearField.at);
  fits = edit_integer(record.idate[1], kMonthField.width, 2, out + kMonthField.at) && fits;
  fits = edit_integer(record.idate[2], kDayField.width, 2, out + kDayField.at) && fits;
  fits = edit_field<kXField.width, 5>(record.xval[0], out + kXField.at) && fits;
  fits = edit_field<kYField.width, 5>(record.xval[1], out + kYField.at) && fits;
  fits = edit_field<kZField.width, 6>(record.xval[2], third_field_out(out, z_shift) + kZField.at) &&
         fits;
  return fits;
}

}  // namespace kw

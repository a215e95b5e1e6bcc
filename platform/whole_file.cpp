// The parts of whole-file replacing that are the same on every system.
#include "platform/whole_file.h"
#include "platform/process.h"

namespace kw::os {

bool replace_file(std::string_view path, std::string_view content, Links links, std::string& why) {
  const HeldSignals held;
  Replacement replacement;
  if (replacement.begin(path, links, why) != OpenError::none ||
      replacement.create(why) != OpenError::none) {
    return false;
  }
  std::size_t written = 0;
  if (!replacement.file().write(content, written)) {
    why = "cannot write the new file: " + replacement.file().error_text();
    return false;
  }
  return replacement.commit(why);
}

}  // namespace kw::os

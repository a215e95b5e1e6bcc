// What a published table makes of an existing "ls.ini": the same table
// (nothing to do), one to keep (the two disagree), or the new text, which
// keeps every line of the old one as it stands (the user's notes with
// them) and only adds entries, and the expiry note on the last entry's
// line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "timescale/published/published_table.h"

namespace kw {

struct TableUpdate {
  enum class Kind {
    write,       // `text` is the new table
    up_to_date,  // the old table holds every entry, and an expiry no earlier
    kept,        // the two disagree: `why` names the first difference
    unfit,       // the list gives no table the converter reads: `why` says why
  };
  Kind kind = Kind::kept;
  std::string text;
  std::string why;
  std::size_t added = 0;  // entries the new text adds
};

// Whether `text` holds no table at all (nothing but blanks and line ends):
// a new table is then written in its place.
bool blank_table(std::string_view text);

// `old_text` is the existing table's text, empty when there is none. Old
// entries dated before the published ones (a history the source does not
// give) stay; the rest must be the published entries from some entry on,
// those before it (the history, when it is published) added in front of
// them, those after them added after them.
TableUpdate update_of(std::string_view old_text, const PublishedTable& published);

}  // namespace kw

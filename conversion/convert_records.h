// The conversion of the data file into the output unit: batches read in
// file order, converted on workers, written back in file order.
#pragma once

#include "conversion/record_batch.h"
#include "records/units.h"
#include "timescale/date_offsets.h"

namespace kw {

// Converts every record of `data` into `out`, adding to each record's third
// value the offset `offsets` give its date. Ends the run (throws)
// at the first bad record or failed read or write, after writing every
// record before it.
//
// Batches of records are read in order, converted by up to `threads`
// threads at once and written in order; a file of one batch is converted
// without starting a thread.
// The records written whose dates the table does not vouch for are
// counted in `counts`, also when the run ends early.
void convert_records(InputUnit& data, OutputUnit& out, const DateOffsets& offsets, unsigned threads,
                     ZoneCounts& counts);

}  // namespace kw

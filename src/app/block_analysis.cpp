// The analysis of every recorded block: lamp, peaks, clip runs, elapsed time, countdown.
#include "app/tessaron1.h"

void TForm1::Audio1Record(TObject*, void*, void*, uint16_t) {}

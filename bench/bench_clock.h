// The clock and the summary the benchmark programs share.
#pragma once

// Starts the millisecond clock; FALSE when the machine has no
// performance counter.
BOOL StartClock(void);

// Milliseconds on the performance counter since an arbitrary start.
double NowMs(void);

// The median of count figures; sorts them in place.
double Median(double *figures, int count);

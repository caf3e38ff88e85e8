#pragma once
// Everything the practice analysis offers, for a window that shows it.

#include "digit_pairs.h"      // IWYU pragma: export
#include "progress.h"         // IWYU pragma: export
#include "round_indices.h"    // IWYU pragma: export
#include "round_record.h"     // IWYU pragma: export
#include "session_figures.h"  // IWYU pragma: export
#include "stats.h"            // IWYU pragma: export
#include "work_curve.h"       // IWYU pragma: export

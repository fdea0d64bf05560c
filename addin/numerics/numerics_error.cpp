#include "addin/numerics/numerics_error.h"

namespace qs::numerics {

void RaiseIterativeRoutineError() { throw NumericsError(kIterativeRoutineErrorText); }

}  // namespace qs::numerics

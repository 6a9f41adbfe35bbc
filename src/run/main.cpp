// quiltgrid takes no arguments: whatever stands on its command line is
// ignored, and the run is the same.
#include "run/run_sequence.h"

int main() { quiltgrid::run::run_sequence(); }

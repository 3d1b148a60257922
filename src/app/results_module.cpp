// The module's one entry point: the parts it holds, for the program that loads it.
#include "results_and_export.h"

extern "C" __attribute__((visibility("default"))) ResultsAndExport* quorvaneResultsAndExport() {
    return &linkedResultsAndExport();
}

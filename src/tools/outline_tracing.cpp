#include "outline_tracing.h"

#include "navigation_tools.h"

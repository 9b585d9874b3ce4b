#include "arrow_tool.h"

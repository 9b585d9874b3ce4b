#include "fill_tool.h"

#include "LoadReport.h"

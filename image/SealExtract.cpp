#include "image/SealExtract.h"

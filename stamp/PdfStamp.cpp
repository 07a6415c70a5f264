#include "stamp/PdfStamp.h"

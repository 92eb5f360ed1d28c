#include "iparseinfo.h"

IParseInfo::~IParseInfo() = default;

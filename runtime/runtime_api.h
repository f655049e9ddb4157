#pragma once
#include "korrin_runtime.h"

#pragma once
#include "servicelink/value_accessor.h"

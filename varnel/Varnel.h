#pragma once

// The varnel component and everything a program needs to use it.

#include "varnel/engine/Enumerations.h"
#include "varnel/facade/CAudioDataSource.h"
#include "varnel/facade/Component.h"
#include "varnel/facade/Delegate.h"
#include "varnel/facade/EventArgs.h"
#include "varnel/facade/Exceptions.h"
#include "varnel/facade/Varnel.h"
#include "varnel/platform/Object.h"

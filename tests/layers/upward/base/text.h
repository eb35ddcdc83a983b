// A base header that reaches up to the application layer: the layer check
// must refuse it.
#pragma once
#include "app/client.h"

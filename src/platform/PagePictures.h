#pragma once

// The office bridge includes the page pictures by this path.
#include "platform/webpage/PagePictures.h"

#pragma once

// The whole JSON library in one include.
#include "json/Cp1252.h"
#include "json/DotFormat.h"
#include "json/JSONExceptions.h"
#include "json/JSONTokener.h"
#include "json/JSONValues.h"
#include "json/TJSONArray.h"
#include "json/TJSONObject.h"
#include "json/TZAbstractObject.h"

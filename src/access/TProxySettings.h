#pragma once

#include "http/HttpClient.h"

namespace vek::access {

/// The access server's HTTP proxy; no server means requests go direct.
using TProxySettings = http::Proxy;

} // namespace vek::access

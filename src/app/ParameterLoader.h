#pragma once

#include "station/RuntimeParameters.h"

#include <string>

namespace vek {

namespace db {
class Connection;
}
class MessageBoxes;

/// The parameter statements, as sent.
namespace sql {
extern const char* const kReadParam; // sqlReadParam: one PARAM value, parameters GRUPO and PARAM
extern const char* const kParam;     // sqlParam: the station's parameter groups
} // namespace sql

/// One parameter's value, the empty text when its row does not exist. A database error shows the
/// "Erro" box about the PARAM table and is passed on.
std::string ReadParam(db::Connection& connection, MessageBoxes& boxes, const std::string& group,
                      const std::string& name);

/// Reads both groups into `into`, field by field as the rows come, so that a conversion error
/// keeps what was read before it. Warns once when the PRODUCAO_ESTOQUE group has rows but no
/// production-stock branch above 0. `settingsBranch` (the settings file's FILIAL_ESTOQUE) replaces
/// the stock branch when above 0.
void LoadParameters(db::Connection& connection, MessageBoxes& boxes, int settingsBranch, RuntimeParameters& into);
RuntimeParameters LoadParameters(db::Connection& connection, MessageBoxes& boxes, int settingsBranch);

} // namespace vek

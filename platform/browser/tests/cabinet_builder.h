// Writes small stored (uncompressed) cabinets for the extraction tests.
#pragma once

#include <QByteArray>
#include <QString>

#include <utility>
#include <vector>

namespace browser_test {

// A cabinet holding FILES (name, content), in one folder without compression.
QByteArray BuildCabinet(const std::vector<std::pair<QByteArray, QByteArray>>& files);

}  // namespace browser_test

#include "file_log.h"

namespace keta {

Q_LOGGING_CATEGORY(lcFiles, "ketatobi.files", QtWarningMsg)

}  // namespace keta

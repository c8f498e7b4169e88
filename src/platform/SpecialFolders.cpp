#include "platform/SpecialFolders.h"

#include <QByteArray>
#include <QtGlobal>

namespace SpecialFolders {

QString path(int csidl) {
    if (csidl != CommonAppData)
        return QString();
    const QString fromEnvironment = qEnvironmentVariable("TALLYCLOCK_COMMON_APPDATA");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    return QStringLiteral("/var/lib");
}

} // namespace SpecialFolders

#include "zip/ZipEngine.h"

#include "zip/CodeModule.h"

std::int32_t RunZipJob(const ZipJob&, const ZipLineSink& print)
{
    print(QStringLiteral("the archive engine is not built yet\n"));
    return ZipCode::InternalError;
}

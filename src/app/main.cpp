#include "BuildConfig.h"
#include "api/UrlPolicy.h"
#include "platform/Bundle.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    // A build whose service URLs break the https rule must not start.
    const QStringList problems = veloxa::UrlPolicy::buildConstantProblems();
    for (const QString& problem : problems)
        std::fprintf(stderr, "veloxa: %s\n", qPrintable(problem));
    if (!problems.isEmpty())
        return 2;
    const auto& bundle = veloxa::Bundle::main();
    std::printf("Veloxa %s (%s)\n",
                qPrintable(bundle.stringValue(QStringLiteral("CFBundleShortVersionString"))
                               .value_or(QString::fromUtf8(veloxa::build::version))),
                qPrintable(bundle.bundleIdentifier()));
    return 0;
}

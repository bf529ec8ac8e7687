// protocolo-sample-sheet FILE: writes the sample unit-type sheet (A/IDUnidades.xls).
#include "exchange/unittypesample.h"
#include "exchange/xlswriter.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "uso: protocolo-sample-sheet ARQUIVO.xls\n");
        return 2;
    }
    QString error;
    if (!exchange::writeXlsWorkbook(args.at(1), exchange::unitTypeSampleSheetName(),
                                    exchange::unitTypeSampleRows(), &error)) {
        std::fprintf(stderr, "protocolo-sample-sheet: %s\n", qPrintable(error));
        return 1;
    }
    return 0;
}

#include "exampleconsole.h"

int main(int argc, char *argv[])
{
    return runExample(argc, argv,
                      {QStringLiteral("dayrecords"),
                       QStringLiteral("Reads yesterday's hourly records from a meter's archive over Modbus/TCP and "
                                      "prints one line per record."),
                       QStringLiteral(EXAMPLE_QML_FILE), QStringLiteral(EXAMPLE_IMPORT_PATH),
                       QStringLiteral("meter"), false});
}

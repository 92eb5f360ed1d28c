#include "exampleconsole.h"

int main(int argc, char *argv[])
{
    return runExample(argc, argv,
                      {QStringLiteral("meter"),
                       QStringLiteral("Reads a meter's report over Modbus/TCP, then polls its registers every second "
                                      "and prints each change, until Ctrl-C."),
                       QStringLiteral(EXAMPLE_QML_FILE), QStringLiteral(EXAMPLE_IMPORT_PATH), QStringLiteral("meter"),
                       true});
}

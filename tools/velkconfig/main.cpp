#include <QApplication>

#include "tools/velkconfig/config_tool.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QStringList arguments = app.arguments();
    arguments.removeFirst();
    return velk::RunConfigTool(arguments);
}

// PainelPesagram: the monitoring panel of the scale network.

#include "PainelApplication.h"
#include "PainelPesagram.h"
#include "UnitMain.h"

#include <exception>

int main(int argc, char** argv) {
    TPainelApplication app(argc, argv);
    try {
        return PainelPesagram(app, [] {
            frmMain = new TfrmMain;
            return static_cast<QWidget*>(frmMain);
        });
    } catch (const std::exception& failure) {
        ReportStartupFailure(&failure);
    } catch (...) {
        ReportStartupFailure(nullptr);
    }
    return 1;
}

#pragma once
// Fixtures of the fault tests: the shared fake `ping` (behaviour per address)
// and box closer, and the scale tables with long texts, every cell given.

#include "BoxCloser.h"
#include "FakePing.h"
#include "ScaleFixtures.h"
#include "TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

using testsupport::TBoxCloser;
using testsupport::TFakePing;

// A scale row; every cell is given (NULL allowed where the file can hold it).
using THardScale = fixtures::TScaleRow;

// `Scale` and `Sect` with the columns the panel reads and long texts.
inline mdbw::TTable HardScaleTable(const std::vector<THardScale>& scales,
                                   mdbw::TColumnType noType = mdbw::TColumnType::Long,
                                   mdbw::TColumnType flagType = mdbw::TColumnType::YesNo) {
    fixtures::TScaleLayout layout;
    layout.No = noType;
    layout.NoLength = 20;
    layout.AddressLength = 255;
    layout.Used = flagType;
    layout.Updated = flagType;
    return fixtures::ScaleTable(scales, layout);
}

inline mdbw::TTable HardSectTable(const std::vector<std::pair<int, std::string>>& sectors) {
    return fixtures::SectTable(sectors, 255);
}

// Whether `args` is exactly the ping command of the probe with an address
// made of digits and full stops only (none at all for an address without
// any).
inline bool IsPlainProbe(const QStringList& args) {
    static const QRegularExpression address(QStringLiteral("^[0-9.]+$"));
    return args.mid(0, 5) == QStringList({"-n", "-c", "1", "-W", "4"}) &&
           (args.size() == 5 || (args.size() == 6 && address.match(args[5]).hasMatch()));
}

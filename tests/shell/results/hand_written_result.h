#pragma once

// A result file written by hand (three items, six examinees of mode 3), with
// the report a run would give with it (the window's tables come from the
// report; the file is only shown), for the results window's tests.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QtCharts/QChart>
#include <QtCharts/QLineSeries>
#include <memory>
#include <string>

#include "report/run_report.h"
#include "shell/results/results_window.h"
#include "shell_test_support.h"

namespace tarvo::shell {

// A result written by hand, with a report as the run would give it.
class ResultsWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test_support::EnsureApplication();
        ASSERT_TRUE(folder.isValid());
        resultFile = folder.path().toStdString() + "/result.csv";
        test_support::WriteFileBytes(
            resultFile,
            "SeqItem,AccNo, Nobs, a_calib, b_calib,c_calib, seea, seeb, seec\r\n"
            "   1, Q1,    6,  1.200, -0.500,  0.200,  0.100,  0.100,  0.050\r\n"
            "   2, Q2,    6,  0.800,  0.750,  0.000,  0.100,  0.100, -1.000\r\n"
            "   3, Q3,    6,  1.600,  1.250,  0.150,  0.100,  0.100,  0.050\r\n"
            "\r\n"
            " SeqID,    ExaminID,Nvalid,   theta, seetheta\r\n"
            "    1,         A001,    3,  -1.2000,   0.5000\r\n"
            "    2,         A002,    3,  -0.4000,   0.5000\r\n"
            "    3,         B012,    3,   0.0000,   0.5000\r\n"
            "    4,         B013,    3,   0.3000,   0.5000\r\n"
            "    5,         C120,    3,   0.9000,   0.5000\r\n"
            "    6,         C121,    3,   1.7000,   0.5000\r\n");
        report.mode = 3;
        report.resultFile = resultFile;
        report.examinees = 6;
        report.items = 3;
        report.alpha = 0.61;
        report.empiricalReliability = 0.58;
        report.loop.end = LoopEnd::Settled;
        report.loop.passes = 7;
        report.loop.msError = {0.3, 0.2, 0.15, 0.149, 0.1489, 0.14889, 0.14889};
        report.warnings = {"Item 2 has c fixed at 0: check the item file."};
        const double a[] = {1.2, 0.8, 1.6}, b[] = {-0.5, 0.75, 1.25}, c[] = {0.2, 0, 0.15};
        for (int i = 0; i < 3; ++i) {
            ItemReport item;
            item.seqItem = i + 1;
            item.accNo = "Q" + std::to_string(i + 1);
            item.a = a[i];
            item.b = b[i];
            item.c = c[i];
            item.seea = 0.1;
            item.seeb = 0.1;
            item.seec = i == 1 ? -1 : 0.05;
            item.nobs = 6;
            item.pValue = 0.5;
            item.groupTheta = {-0.8, 0.15, 1.3};
            item.groupProportion = {0.5, 0.5, 1.0};
            item.groupCount = {2, 2, 2};
            report.itemRows.push_back(item);
        }
        report.itemRows[1].flags = kItemNotEstimated;
        const double thetas[] = {-1.2, -0.4, 0.0, 0.3, 0.9, 1.7};
        const char* ids[] = {"A001", "A002", "B012", "B013", "C120", "C121"};
        for (int j = 0; j < 6; ++j) {
            PersonReport person;
            person.examinId = ids[j];
            person.theta = thetas[j];
            person.seetheta = 0.5;
            person.nvalid = 3;
            person.rawScore = 2;
            report.personRows.push_back(person);
        }
    }

    std::unique_ptr<ResultsWindow> Open() {
        return std::make_unique<ResultsWindow>(QString::fromStdString(resultFile), report, desktop);
    }

    static QLineSeries* Line(QChart* chart, const QString& name) {
        for (QAbstractSeries* series : chart->series()) {
            if (series->name() == name) return qobject_cast<QLineSeries*>(series);
        }
        return nullptr;
    }

    QTemporaryDir folder;
    test_support::RecordingDesktop desktop;
    std::string resultFile;
    RunReport report;
};

}  // namespace tarvo::shell

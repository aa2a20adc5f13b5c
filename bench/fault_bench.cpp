// How the link holds up under line faults: orvelctl against the simulated
// board for every case of the fault matrix's CI-sized run (fixed seeds).
//   orvel-bench-faults [--quick] [--json] [--verbose]
// Figures:
//   faults.runs            cases run
//   faults.wrong_success   reads that printed a value the board does not hold with
//                          exit 0, writes that exited 0 without the value in place,
//                          failures without exit 1 (and, for reads, the address on stderr)
//   faults.stray_writes    cases that changed a byte or bit the address does not name
//   faults.wrong_kept      reads that printed, and bit writes that acted on, a value
//                          the board does not hold (reads are confirmed: goal 0)
// --quick leaves out the families whose cases wait out time-outs (lose,
// silence, pull, slow); --verbose lists every case that broke a rule on stderr.
#include "FaultMatrix.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const bool quick = args.contains(QStringLiteral("--quick"));
    const bool json = args.contains(QStringLiteral("--json"));
    const bool verbose = args.contains(QStringLiteral("--verbose"));

    QTemporaryDir dir;
    faultmatrix::Tally total;
    for (const std::string &family : faultmatrix::families()) {
        if (quick && (family == "lose" || family == "silence" || family == "pull" || family == "slow"))
            continue;
        for (const auto &c : faultmatrix::matrix(family, faultmatrix::Size::Ci)) {
            const auto o = faultmatrix::runCase(c, dir.path());
            total.add(o);
            if (verbose && !o.problem.empty())
                std::fprintf(stderr, "%s: %s\n", c.name().c_str(), o.problem.c_str());
        }
    }

    struct Figure {
        const char *name;
        double value;
        const char *unit;
        const char *goal;
        bool zero;   // the goal is 0
    };
    const std::vector<Figure> figures = {
        {"faults.runs", double(total.runs), "cases", "(fixed seeds; the integration test's CI cases)", false},
        {"faults.wrong_success", double(total.wrongSuccess), "cases", "0", true},
        {"faults.stray_writes", double(total.strayWrites), "cases", "0", true},
        {"faults.wrong_kept", double(total.wrongKept), "cases", "0", true},
        {"faults.seconds", total.seconds, "s", "(time orvelctl took over all cases)", false},
    };
    if (json) {
        std::printf("{");
        for (std::size_t i = 0; i < figures.size(); ++i) {
            const Figure &f = figures[i];
            std::printf("%s\"%s\": {\"value\": %.3f, \"unit\": \"%s\", \"goal\": \"%s\"}", i ? ", " : "", f.name,
                        f.value, f.unit, f.goal);
        }
        std::printf("}\n");
    } else {
        std::printf("%-30s %14s  %-12s %s\n", "figure", "value", "unit", "goal");
        for (const Figure &f : figures)
            std::printf("%-30s %14.3f  %-12s %s%s\n", f.name, f.value, f.unit, f.goal,
                        f.zero && f.value != 0 ? "  NOT MET" : "");
    }
    return 0;
}

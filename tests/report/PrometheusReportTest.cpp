// flowtally-report --prometheus: the exact text for the known networks, read
// back by a strict reader of Prometheus' text exposition format (0.0.4) and
// by the Prometheus project's own Python parser, names that need escaping
// among them.
#include "tests/report/ReportFixture.h"

#include "tests/support/CommandRun.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <map>
#include <set>

namespace flowtally {

namespace {

struct Sample {
    QString name;
    std::map<QString, QString> labels;
    double value = 0;
};

// Reads the text exposition format as Prometheus does, and more strictly:
// every line ends in a line feed; a family's HELP and TYPE come once each,
// before its samples, which stand together; a counter's name ends in
// "_total"; label values use only the three escapes; no sample carries a
// timestamp, none is given twice. Adds a sentence to `faults` for each rule
// broken.
std::vector<Sample> readExposition(const QByteArray &bytes, QStringList *faults) {
    static const QRegularExpression kName(QStringLiteral("^[a-zA-Z_:][a-zA-Z0-9_:]*$"));
    // A name, its labels if it has any, one space and the value: nothing after it.
    static const QRegularExpression kSample(
        QStringLiteral(R"re(^([a-zA-Z_:][a-zA-Z0-9_:]*)(?:\{(.*)\})? (\S+)$)re"));
    // A label at the end of the one before, and the comma after it.
    static const QRegularExpression kLabel(
        QStringLiteral(R"re(\G([a-zA-Z_][a-zA-Z0-9_]*)="((?:[^"\\]|\\.)*)"(?:,|$))re"));
    static const QRegularExpression kValue(
        QStringLiteral("^([-+]?([0-9]+(\\.[0-9]*)?|\\.[0-9]+)([eE][-+]?[0-9]+)?|[-+]?Inf|NaN)$"));
    std::vector<Sample> samples;
    std::map<QString, QString> helps, types;
    std::set<QString> closed, series;
    QString family;
    const auto fault = [&](int line, const QString &what) {
        faults->append(QStringLiteral("line %1: %2").arg(line).arg(what));
    };
    if (!bytes.isEmpty() && !bytes.endsWith('\n'))
        fault(0, "the text does not end in a line feed");
    const QStringList lines = QString::fromUtf8(bytes).split('\n');
    for (int number = 1; number < lines.size(); ++number) {
        const QString &line = lines[number - 1];
        if (line.contains('\r'))
            fault(number, "a carriage return");
        if (line.startsWith('#')) {
            const QStringList parts = line.split(' ');
            if (parts.size() < 4 || (parts[1] != "HELP" && parts[1] != "TYPE")) {
                fault(number, "a comment that is neither HELP nor TYPE: " + line);
                continue;
            }
            const QString name = parts[2];
            if (!kName.match(name).hasMatch())
                fault(number, "a bad metric name " + name);
            if (closed.count(name) || (name != family && (helps.count(name) || types.count(name))))
                fault(number, "the family " + name + " is split");
            if (family != name && !family.isEmpty())
                closed.insert(family);
            family = name;
            auto &seen = parts[1] == "HELP" ? helps : types;
            if (seen.count(name))
                fault(number, parts[1] + " twice for " + name);
            seen[name] = line.section(' ', 3);
            if (parts[1] == "TYPE" && parts.size() != 4)
                fault(number, "a TYPE line of more than four words");
            continue;
        }
        const QRegularExpressionMatch match = kSample.match(line);
        if (!match.hasMatch() || !kValue.match(match.captured(3)).hasMatch()) {
            fault(number, "not a name, labels and one number, or a timestamp: " + line);
            continue;
        }
        Sample sample{match.captured(1), {}, match.captured(3).toDouble()};
        const QString labels = match.captured(2);
        qsizetype read = 0;
        for (auto pairs = kLabel.globalMatch(labels); pairs.hasNext();) {
            const QRegularExpressionMatch pair = pairs.next();
            read = pair.capturedEnd();
            const QString escaped = pair.captured(2);
            QString value;
            for (qsizetype at = 0; at < escaped.size(); ++at) {
                if (escaped[at] != '\\') {
                    value += escaped[at];
                    continue;
                }
                const QChar next = escaped[++at]; // the pattern gives every backslash one
                if (next == 'n')
                    value += '\n';
                else if (next == '\\' || next == '"')
                    value += next;
                else
                    fault(number, QStringLiteral("an escape \\%1").arg(next));
            }
            if (sample.labels.count(pair.captured(1)))
                fault(number, "the label " + pair.captured(1) + " twice");
            sample.labels[pair.captured(1)] = value;
        }
        if (read != labels.size())
            fault(number, "a bad label at column " + QString::number(read));
        if (sample.name != family || !types.count(family) || !helps.count(family))
            fault(number, "a sample of " + sample.name + " outside its family's HELP and TYPE");
        if (types[family] == "counter" && !family.endsWith("_total"))
            fault(number, "a counter whose name does not end in _total");
        QString key = sample.name;
        for (const auto &[label, value] : sample.labels)
            key += '\x1f' + label + '=' + value;
        if (!series.insert(key).second)
            fault(number, "a series given twice");
        samples.push_back(sample);
    }
    return samples;
}

std::string described(const std::vector<Sample> &samples) {
    QJsonArray array;
    for (const Sample &sample : samples) {
        QJsonObject labels;
        for (const auto &[label, value] : sample.labels)
            labels.insert(label, value);
        array.append(QJsonArray{sample.name, labels, sample.value});
    }
    return QJsonDocument(array).toJson(QJsonDocument::Compact).toStdString();
}

// The samples as the Python client of the Prometheus project reads them.
std::optional<std::vector<Sample>> readByPrometheusClient(const QByteArray &bytes) {
    QTemporaryFile file;
    if (!file.open() || file.write(bytes) != bytes.size() || !file.flush())
        return std::nullopt;
    const CommandResult result = runCommand(
        "/usr/bin/python3", {"-c",
                             "import json, sys\n"
                             "from prometheus_client.parser import text_string_to_metric_families\n"
                             "text = open(sys.argv[1], encoding='utf-8').read()\n"
                             "print(json.dumps([[s.name, s.labels, s.value] for f in "
                             "text_string_to_metric_families(text) for s in f.samples]))\n",
                             file.fileName()});
    if (!result.finished || result.exitCode != 0) {
        ADD_FAILURE() << "the Prometheus client did not read it: " << result.error.toStdString();
        return std::vector<Sample>();
    }
    std::vector<Sample> samples;
    for (const QJsonValue &entry : QJsonDocument::fromJson(result.output.toUtf8()).array()) {
        Sample sample{entry[0].toString(), {}, entry[2].toDouble()};
        const QJsonObject labels = entry[1].toObject();
        for (auto label = labels.begin(); label != labels.end(); ++label)
            sample.labels[label.key()] = label.value().toString();
        samples.push_back(sample);
    }
    return samples;
}

class PrometheusReportTest : public ReportFixture {
  protected:
    // What --prometheus writes, read strictly and by the Prometheus client.
    std::vector<Sample> readBack(const QByteArray &bytes) {
        QStringList faults;
        const std::vector<Sample> samples = readExposition(bytes, &faults);
        EXPECT_EQ(faults.join('\n').toStdString(), "");
        if (!QFile::exists("/usr/bin/python3")) {
            ADD_FAILURE() << "no /usr/bin/python3 (scripts/install-deps installs it)";
            return samples;
        }
        if (const auto client = readByPrometheusClient(bytes)) {
            EXPECT_EQ(described(*client), described(samples));
        }
        return samples;
    }
};

TEST_F(PrometheusReportTest, TheMetricsOfEveryNetwork) {
    const QByteArray bytes = output({"--prometheus"});
    const QString a001 =
        QStringLiteral(R"(network="6A1F0E52-0000-4000-8000-00000000A001",name="Home router")");
    const QString a002 = QStringLiteral(
        R"(network="6A1F0E52-0000-4000-8000-00000000A002",name="6A1F0E52-0000-4000-8000-00000000A002")");
    const QString a003 = QStringLiteral(
        R"(network="6A1F0E52-0000-4000-8000-00000000A003",name="6A1F0E52-0000-4000-8000-00000000A003")");
    EXPECT_EQ(
        bytes.toStdString(),
        QStringLiteral(
            R"(# HELP flowtally_received_bytes_total Bytes received on the network since its reset date.
# TYPE flowtally_received_bytes_total counter
flowtally_received_bytes_total{%2,source="router"} 314572800
flowtally_received_bytes_total{%1,source="upnp"} 10737418240
flowtally_received_bytes_total{%3,source="unknown"} 0
# HELP flowtally_sent_bytes_total Bytes sent on the network since its reset date.
# TYPE flowtally_sent_bytes_total counter
flowtally_sent_bytes_total{%2,source="router"} 20971520
flowtally_sent_bytes_total{%1,source="upnp"} 2147483648
flowtally_sent_bytes_total{%3,source="unknown"} 0
# HELP flowtally_free_bytes_total Bytes received and sent in the network's free hours since its reset date.
# TYPE flowtally_free_bytes_total counter
flowtally_free_bytes_total{%2} 0
flowtally_free_bytes_total{%1} 2147483648
flowtally_free_bytes_total{%3} 0
# HELP flowtally_billed_bytes Bytes the plan holds against its limit: those of the billing cycle (without one, since the reset date) not counted in free hours.
# TYPE flowtally_billed_bytes gauge
flowtally_billed_bytes{%2} 0
flowtally_billed_bytes{%1} 10737418240
flowtally_billed_bytes{%3} 0
# HELP flowtally_limit_bytes The network's limit.
# TYPE flowtally_limit_bytes gauge
flowtally_limit_bytes{%1} 268435456000
# HELP flowtally_limit_used_ratio The billed bytes' share of the limit.
# TYPE flowtally_limit_used_ratio gauge
flowtally_limit_used_ratio{%1} 0.04
# HELP flowtally_over_limit 1 when the billed bytes are more than the limit, else 0.
# TYPE flowtally_over_limit gauge
flowtally_over_limit{%1} 0
# HELP flowtally_thirty_day_projection_bytes Bytes received and sent in thirty days at the pace since the reset date.
# TYPE flowtally_thirty_day_projection_bytes gauge
flowtally_thirty_day_projection_bytes{%2} 223179594
flowtally_thirty_day_projection_bytes{%1} 18855953982
# HELP flowtally_cycle_projection_bytes Billed bytes at the billing cycle's end at the pace since the cycle began.
# TYPE flowtally_cycle_projection_bytes gauge
flowtally_cycle_projection_bytes{%2} 0
flowtally_cycle_projection_bytes{%1} 15189518486
# HELP flowtally_expected_bytes Billed bytes expected at the billing cycle's end (without one, thirty days after the reset date) from the way the line was used through the week in the last weeks.
# TYPE flowtally_expected_bytes gauge
flowtally_expected_bytes{%1} 13841727488
# HELP flowtally_cycle_remaining_seconds Seconds until the billing cycle ends.
# TYPE flowtally_cycle_remaining_seconds gauge
flowtally_cycle_remaining_seconds{%2} 2203200
flowtally_cycle_remaining_seconds{%1} 734400
)")
            .arg(a001, a002, a003)
            .toStdString());
    EXPECT_EQ(readBack(bytes).size(), 22u);
}

TEST_F(PrometheusReportTest, NamesAreEscapedAndAnOverLimitIsFlagged) {
    // A router names itself with quotes, a backslash, a line end and more
    // than ASCII; home has gone past its limit.
    const QString name = QStringLiteral("Caf\u00e9 \"5G\" \\ router\nlevel 2");
    std::unique_ptr<HistoryStore> store = openHistory();
    ASSERT_TRUE(store && store->nameNetwork(kHome, name).ok());
    store.reset();
    QVariantMap settings = knownSettings();
    QVariantMap home = settings.value(kHome).toMap();
    home.insert(RecordKey::totalInBytes, 300 * kGiB);
    home.insert(RecordKey::prevValSource, QStringLiteral("router"));
    settings.insert(kHome, home);
    writeSettings(settings);

    const ReportOutcome outcome = run({"--prometheus", "--network", kHome});
    EXPECT_TRUE(
        outcome.output.contains(R"(name="Caf)" + QStringLiteral("\u00e9").toUtf8() +
                                R"( \"5G\" \\ router\nlevel 2",source="router"} 322122547200)"))
        << outcome.output.toStdString();
    std::map<QString, double> values;
    for (const Sample &sample : readBack(outcome.output)) {
        EXPECT_EQ(sample.labels.at("name"), name) << sample.name.toStdString();
        values[sample.name] = sample.value;
    }
    EXPECT_EQ(values["flowtally_over_limit"], 1);
    EXPECT_DOUBLE_EQ(values["flowtally_limit_used_ratio"], 300.0 / 250.0);
    EXPECT_EQ(values["flowtally_billed_bytes"], 300.0 * kGiB);
}

TEST(PrometheusExposition, TheStrictReaderFindsWhatIsWrong) {
    const struct {
        const char *what;
        const char *text;
        const char *fault;
    } cases[] = {
        {"no TYPE", "# HELP a_total A.\na_total 1\n", "outside its family's HELP and TYPE"},
        {"a split family",
         "# HELP a A.\n# TYPE a gauge\na 1\n# HELP b B.\n# TYPE b gauge\nb 1\n# HELP a A.\n",
         "is split"},
        {"a timestamp", "# HELP a A.\n# TYPE a gauge\na 1 1700000000000\n", "a timestamp"},
        {"a bad escape", "# HELP a A.\n# TYPE a gauge\na{l=\"x\\ty\"} 1\n", "an escape"},
        {"a counter without _total", "# HELP a A.\n# TYPE a counter\na 1\n", "_total"},
        {"no line end", "# HELP a A.\n# TYPE a gauge\na 1", "line feed"},
        {"a series twice", "# HELP a A.\n# TYPE a gauge\na{l=\"x\"} 1\na{l=\"x\"} 2\n", "twice"},
        {"labels without a comma", "# HELP a A.\n# TYPE a gauge\na{l=\"x\"m=\"y\"} 1\n",
         "a bad label"},
    };
    for (const auto &c : cases) {
        QStringList faults;
        readExposition(c.text, &faults);
        EXPECT_NE(faults.join('\n').indexOf(c.fault), -1)
            << c.what << ": " << faults.join('\n').toStdString();
    }
}

} // namespace

} // namespace flowtally

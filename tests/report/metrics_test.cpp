// The metrics file read back by a real Prometheus text parser.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "base/settings.h"
#include "base/streams.h"
#include "report/metrics.h"
#include "report/report.h"
#include "support/test_support.h"

namespace {

// Each sample as "TYPE name{label=value,...} value", in file order, as
// prometheus_client parses the file at path.
std::string parse_with_prometheus(const temp_dir& dir, const std::string& path)
{
    const std::string script = dir.write("parse.py",
        "import sys\n"
        "from prometheus_client.parser import text_string_to_metric_families\n"
        "for f in text_string_to_metric_families(open(sys.argv[1]).read()):\n"
        "    for s in f.samples:\n"
        "        labels = ','.join(k + '=' + repr(v) for k, v in sorted(s.labels.items()))\n"
        "        print(f.type, s.name + '{' + labels + '}', s.value)\n");
    pipe_stream out(popen(("/usr/bin/python3 " + script + " " + path + " 2>&1").c_str(), "r"));
    std::string text;
    char buf[4096];
    size_t n;
    while (out && (n = fread(buf, 1, sizeof buf, out.get())) > 0)
        text.append(buf, n);
    return text;
}

}  // namespace

TEST(Metrics, ParsedByPrometheusTextParser)
{
    if (system("/usr/bin/python3 -c 'import prometheus_client' 2>/dev/null") != 0)
        GTEST_SKIP() << "python3-prometheus-client is not installed";
    reset_program_state();
    temp_dir dir;
    const std::string path = dir.path + "/lullwatcher.prom";
    snprintf(settings.metrics_path, sizeof settings.metrics_path, "%s", path.c_str());
    report_state.status.idle_seconds = 420;
    report_state.status.last_verdict = "busy";
    report_state.status.last_busy = 1796731380;
    report_state.status.expiries = 2;
    // A label value with every character that needs an escape.
    report_state.growth = {
        {"net", "eth0", "rx", "bytes", 0, 3565158, 1048576},
        {"disk", "odd\"name\\with\nbreak", "write", "kilobytes", 1, 5000, 0},
    };
    metrics_publish();
    EXPECT_EQ(parse_with_prometheus(dir, path),
              "gauge lullwatcher_idle_seconds{} 420.0\n"
              "gauge lullwatcher_expiry_seconds{} 600.0\n"
              "gauge lullwatcher_last_check_busy{} 1.0\n"
              "gauge lullwatcher_last_busy_timestamp_seconds{} 1796731380.0\n"
              "counter lullwatcher_expiries_total{} 2.0\n"
              "gauge lullwatcher_growth{direction='rx',kind='net',name='eth0',unit='bytes'} 3565158.0\n"
              "gauge lullwatcher_growth{direction='write',kind='disk',name='odd\"name\\\\with\\\\x0abreak',"
              "unit='kilobytes'} 5000.0\n"
              "gauge lullwatcher_threshold{direction='rx',kind='net',name='eth0',unit='bytes'} 1048576.0\n"
              "gauge lullwatcher_threshold{direction='write',kind='disk',name='odd\"name\\\\with\\\\x0abreak',"
              "unit='kilobytes'} 0.0\n");
    reset_program_state();
}

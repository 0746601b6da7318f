#pragma once
// The hosts a run of the program talks to, and a small text file that replaces the shipped ones
// (for a demo shop or black-box tests). Neutral: no Windows header.
//
// The file holds one "Name=value" per line. Names are those of EndpointHosts plus TimeProbeHost,
// TaobaoLoginPage and AlibabaLoginPage; host values are host names with an optional port, login
// pages are http or https addresses. Blank lines and lines starting with '#' or ';' are skipped;
// a name the file leaves out keeps its shipped value.

#include <string>
#include <string_view>
#include <vector>

#include "config/endpoints.h"

struct ProgramHosts {
  EndpointHosts endpoints;
  std::string timeProbeHost;     // answers HEAD / with a Date header, over plain http
  std::string taobaoLoginPage;   // shown in the browser panel
  std::string alibabaLoginPage;
};

ProgramHosts ShippedProgramHosts();

// "http://" + host + "/": the page the status line's clock asks for its time.
std::string TimeProbeUrl(const std::string& host);

struct HostsFileProblem {
  int line = 0;        // 1-based
  std::string reason;  // GBK, for the user
};

struct HostsFileReading {
  ProgramHosts hosts;
  std::vector<HostsFileProblem> problems;  // lines that were not taken, in file order
};

// Reads the file's text over `base`. A line that is malformed, names nothing known or gives a value
// that cannot be a host (or a page) changes nothing and is listed as a problem.
HostsFileReading ReadHostsText(std::string_view text, const ProgramHosts& base);

// The problems as one message, a line each ("第3行：…").
std::string DescribeHostsProblems(const std::vector<HostsFileProblem>& problems);

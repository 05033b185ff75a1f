// Looking up the host of a report row with a web Whois service: the
// workspace's address template with "[URL]" (in any case) standing for the host.
#pragma once
#include <cstdint>
#include <string>

#include "platform/launcher.h"

struct CHitRecord;

// The host as the Whois service gets it: the dotted address when there is
// one, else the name; "" when the row has neither.
std::string WhoisHostText(const std::string& name, uint32_t address);

// The template with every "[URL]" replaced by the host, URL-encoded; "" when
// the template or the host is empty.
std::string FillWhoisTemplate(const std::string& templ, const std::string& host);

// Fills the template with the record's host and hands the address to the
// launcher, which tells done how the opening went; false (done never called)
// when there is no address.
bool OpenWhois(const std::string& templ, const CHitRecord* record, tv::LaunchDone done = {});
bool OpenWhois(const std::string& templ, const std::string& name, uint32_t address, tv::LaunchDone done = {});

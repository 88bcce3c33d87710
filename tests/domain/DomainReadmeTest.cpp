// The description's documentation holds: every key the library reads is in
// its tables, every example it shows loads, and the worked wrong-vendor
// example describes the device that differs from its node list.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "DomainDescription.h"

namespace {

std::string Readme() {
  std::ifstream in(SCM_DOMAIN_README);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

/// The text of every ```toml block, in order.
std::vector<std::string> TomlExamples(const std::string& text) {
  std::vector<std::string> blocks;
  const std::string open = "```toml\n";
  for (size_t at = text.find(open); at != std::string::npos; at = text.find(open, at)) {
    at += open.size();
    const size_t end = text.find("```", at);
    if (end == std::string::npos) break;
    blocks.push_back(text.substr(at, end - at));
    at = end + 3;
  }
  return blocks;
}

TEST(DomainReadme, ListsEveryKeyTheLibraryReads) {
  const std::string text = Readme();
  ASSERT_FALSE(text.empty());
  const std::vector<std::string> keys = SimDomain::DescriptionKeys();
  EXPECT_EQ(keys.size(), 49u);
  for (const std::string& key : keys) {
    // a table row names the key, node keys without their "node." prefix
    const std::string shown = key.rfind("node.", 0) == 0 ? key.substr(5) : key;
    EXPECT_NE(text.find("| `" + shown + "` |"), std::string::npos) << key;
  }
}

TEST(DomainReadme, EveryExampleLoads) {
  const std::vector<std::string> examples = TomlExamples(Readme());
  ASSERT_EQ(examples.size(), 5u);
  for (size_t i = 0; i < examples.size(); ++i) {
    const SimDomain::LoadResult r = SimDomain::ParseDomain(examples[i], "example " + std::to_string(i + 1));
    EXPECT_TRUE(r.domain) << r.error << "\n" << examples[i];
  }
  // the worked example: the node list expects one vendor, the device answers another
  const SimDomain::LoadResult wrong = SimDomain::ParseDomain(examples[0], "worked example");
  ASSERT_TRUE(wrong.domain) << wrong.error;
  ASSERT_EQ(wrong.domain->nodes.size(), 2u);
  const SimDomain::NodeEntry& n = wrong.domain->nodes[1];
  EXPECT_EQ(n.sadr, 2);
  EXPECT_EQ(n.vendorId, 0x0025C3E0u);
  EXPECT_EQ(n.device.vendorId, 0x00123456u);
  EXPECT_EQ(n.device.productCode, n.productCode);
}

}  // namespace

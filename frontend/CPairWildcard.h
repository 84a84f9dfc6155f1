// A D+/D- pair named by wildcards: each D+ file a pattern finds names its own D- file,
// so that a batch of low- or full-speed pairs never analyses a D+ trace alone.
#pragma once

#include <string>

class CPairWildcard {
public:
    // The D- file for the D+ file `first` found by `firstPattern`: each wildcard of
    // `secondPattern` takes the text its counterpart matched in the D+ name
    // ("cap*_dp.csv" over "cap12_dp.csv" fills "cap*_dm.csv" as "cap12_dm.csv"). Empty
    // when the second pattern has wildcards the first cannot fill.
    static std::string SecondFileFor(const std::string& firstPattern, const std::string& first,
                                     const std::string& secondPattern);
};

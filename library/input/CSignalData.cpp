#include "input/CSignalData.h"

#include "input/CReadFile.h"

CAnalysisRecord CSignalData::Load(const std::string& dataFile, const CSigConfig&,
                                  const CSigSpec&, const std::string& secondFile) const {
    CAnalysisRecord record;
    std::vector<double> first;
    std::vector<double> second;
    CReadFile reader;
    record.m_nTraceKind =
        reader.ReadWaveform(dataFile, record.m_Time, record.m_Diff, first, second, secondFile, false);
    if (record.m_nTraceKind == 3) {
        record.m_DPlus = std::move(second);
        record.m_DMinus = std::move(first);
    }
    record.m_nSamples = static_cast<int32_t>(record.m_Time.size());
    record.m_nSamplesCopy = record.m_nSamples;
    record.m_strFileA = dataFile;
    record.m_strFileB = secondFile;
    record.m_bValid = true;
    return record;
}

#pragma once
// How each decoded sentence folds into the sample being accumulated; later sentences
// overwrite earlier ones, and each sets its kind's bit in the sample.

#include "track/sentence_decoders.h"
#include "track/track_sample.h"

void ApplySentence(const GgaRecord& record, TrackSample& sample);
void ApplySentence(const GsaRecord& record, TrackSample& sample);
void ApplySentence(const GsvRecord& record, TrackSample& sample);
void ApplySentence(const RmcRecord& record, TrackSample& sample);
void ApplySentence(const VtgRecord& record, TrackSample& sample);
void ApplySentence(const GsensorRecord& record, TrackSample& sample);

// One mask path of the effect's layer for the length of a render: checked out
// at a time, measured once, sampled at distances along it, listed by vertex.
#pragma once

#include "AEGP_SuiteHandler.h"
#include "VemaroMaskUtility.h"

#include <vector>

class Mask {
public:
    struct VertexInfo {
        Vector position;    // host path coordinates (not divided by the downsample factors)
        Vector derivative;  // along the path, as the host evaluates it
        double distance;    // path length from the start to the vertex
    };

    Mask(PF_InData* in_data, AEGP_SuiteHandler& suites, unsigned int maskId);
    ~Mask();
    Mask(const Mask&) = delete;
    Mask& operator=(const Mask&) = delete;

    PF_Err update(A_Time time);
    PF_Err update();  // at the current time of in_data
    PF_Err isOpen(unsigned char* open);
    PF_Err getSegmentNum(int* count);
    PF_Err getSegmentLength(int index, double* length);
    PF_Err getTotalLength(double* length);
    // Position and derivative at a distance from the start, divided by the
    // downsample factors. Closed paths wrap with loop; everything else clamps
    // to the ends.
    PF_Err getPathPoint(double distance, bool loop, PathPoint* point);
    PF_Err getVertexInfos(std::vector<VertexInfo>& infos);

    PF_InData* in_data;
    AEGP_SuiteHandler* suites;
    unsigned int maskId;
    double downsampleX;
    double downsampleY;
    PF_PathOutlinePtr path = nullptr;
    int segmentCount = 0;
    unsigned char open = 0;
    std::vector<double> lengths;

private:
    PF_Err checkOutPath_(A_Time time);
    PF_Err checkInPath_();
    PF_Err calculateLength_();
    // Segment k at local length l; adds to a pending error, evaluates nothing after one.
    void evaluate_(int k, double l, PF_Err& err, Vector& position, Vector& derivative);
    // The only vertex of a path without segments.
    void singleVertex_(PF_Err& err, Vector& position);
    // Index of the segment holding distance d (0 <= d <= total) and the length within it.
    int locate_(double d, double* local) const;
};

#pragma once

// The creation data the sample drone module understands (its creation block).
struct DroneOrders {
    float radius;    // of the circle the drone flies around its start point
    float turnRate;  // radians per second of physics time
    int launchScout; // non-zero: launch one scout child on creation
};

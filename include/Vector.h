// A 2D point or direction in layout space.
#pragma once

struct Vector {
    double x = 0.0;
    double y = 0.0;

    constexpr Vector() = default;
    constexpr Vector(double x_, double y_) : x(x_), y(y_) {}

    constexpr Vector operator+(const Vector& o) const { return {x + o.x, y + o.y}; }
    constexpr Vector operator-(const Vector& o) const { return {x - o.x, y - o.y}; }
    constexpr Vector operator-() const { return {-x, -y}; }
    constexpr Vector operator*(double s) const { return {x * s, y * s}; }
    constexpr Vector operator/(double s) const { return {x / s, y / s}; }
    Vector& operator+=(const Vector& o) {
        x += o.x;
        y += o.y;
        return *this;
    }
    Vector& operator-=(const Vector& o) {
        x -= o.x;
        y -= o.y;
        return *this;
    }
    Vector& operator*=(double s) {
        x *= s;
        y *= s;
        return *this;
    }
    constexpr bool operator==(const Vector& o) const { return x == o.x && y == o.y; }
    constexpr bool operator!=(const Vector& o) const { return !(*this == o); }
};
